# The native half: the portable logic under ASan and UBSan with GoogleTest.
set(SKH_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(${SKH_SANITIZE})
add_link_options(${SKH_SANITIZE})

add_library(skh_core STATIC ${CORE_SOURCES})
target_include_directories(skh_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)

add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(tests/native)
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/CMakeLists.txt)
    add_subdirectory(tools)
endif()
