# The Windows half: the product, its test variant and the Windows tests run under Wine.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
add_link_options(-static -static-libgcc -static-libstdc++)
set(SKH_WIN_LIBS wininet advapi32 shell32 gdi32 user32 crypt32)

add_library(skh_core STATIC ${CORE_SOURCES})
target_include_directories(skh_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)

# The product's code, and the same sources built for tests: there the patch root is a
# variable the tests point at their local server, and every status line is recorded.
add_library(skh_win STATIC ${WIN_SOURCES})
target_link_libraries(skh_win PUBLIC skh_core ${SKH_WIN_LIBS})
target_compile_definitions(skh_win PUBLIC SKH_PRODUCT)
add_library(skh_win_testing STATIC ${WIN_SOURCES})
target_link_libraries(skh_win_testing PUBLIC skh_core ${SKH_WIN_LIBS})
target_compile_definitions(skh_win_testing PUBLIC SKH_TESTING)

set(SKH_RESOURCES)
if(EXISTS ${CMAKE_SOURCE_DIR}/res/resources.cmake)
    include(${CMAKE_SOURCE_DIR}/res/resources.cmake)
endif()

add_executable(SKH2026_Patcher WIN32 ${CMAKE_SOURCE_DIR}/app/winmain_win.cpp ${SKH_RESOURCES})
target_link_libraries(SKH2026_Patcher PRIVATE skh_win)
add_executable(SKH2026_Patcher_test WIN32 ${CMAKE_SOURCE_DIR}/app/winmain_win.cpp ${SKH_RESOURCES})
target_link_libraries(SKH2026_Patcher_test PRIVATE skh_win_testing)

# GoogleTest from Debian's sources, cross-compiled with the posix-thread compilers.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(tests/win)
add_subdirectory(tests/e2e)
add_subdirectory(bench)
