# One static library per folder, linked in the order of the layers (base, then patch, news and
# render, then app). On a native build only the portable sources (not *_win.cpp) are compiled.
add_custom_target(skh_layer_check
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking the include rules of the layers")

# skh_add_layer(NAME SOURCES file... [DEPENDS layer...] [SYSTEM_LIBS lib...])
function(skh_add_layer name)
    cmake_parse_arguments(LAYER "" "" "SOURCES;DEPENDS;SYSTEM_LIBS" ${ARGN})
    set(sources)
    foreach(source ${LAYER_SOURCES})
        if(WIN32 OR NOT source MATCHES "_win\\.cpp$")
            list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${source})
        endif()
    endforeach()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} PUBLIC ${LAYER_DEPENDS})
    if(WIN32)
        target_link_libraries(${name} PUBLIC ${LAYER_SYSTEM_LIBS})
    endif()
    add_dependencies(${name} skh_layer_check)
endfunction()
