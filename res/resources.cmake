# Draws the pictures at build time and compiles them with the resource script into both
# executables (cmake/windows.cmake adds ${SKH_RESOURCES} to each).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(SKH_PICTURE_DIR ${CMAKE_BINARY_DIR}/generated/pictures)
set(SKH_PICTURES ${SKH_PICTURE_DIR}/background.bmp ${SKH_PICTURE_DIR}/app.ico)
add_custom_command(
    OUTPUT ${SKH_PICTURES}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/res/make_pictures.py ${SKH_PICTURE_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/make_pictures.py
    COMMENT "Drawing the background picture and the icon"
    VERBATIM)

set(SKH_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/res/launcher.rc)
# windres looks up the files an .rc names in its include folders.
set_source_files_properties(${SKH_RESOURCE_SCRIPT} PROPERTIES
    OBJECT_DEPENDS "${SKH_PICTURES};${CMAKE_SOURCE_DIR}/res/resource_ids.h"
    COMPILE_OPTIONS "-I${SKH_PICTURE_DIR};-I${CMAKE_SOURCE_DIR}")
# The pictures are listed as sources too, so that each executable's build runs the
# custom command before the script is compiled.
set(SKH_RESOURCES ${SKH_RESOURCE_SCRIPT} ${SKH_PICTURES})
