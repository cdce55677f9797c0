# Draws the pictures at build time and compiles them with the resource script into an object
# library that the launcher and its test build both link.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(SKH_PICTURE_DIR ${CMAKE_BINARY_DIR}/generated/pictures)
set(SKH_PICTURES ${SKH_PICTURE_DIR}/background.bmp ${SKH_PICTURE_DIR}/app.ico)
add_custom_command(
    OUTPUT ${SKH_PICTURES}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/res/make_pictures.py ${SKH_PICTURE_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/make_pictures.py ${CMAKE_SOURCE_DIR}/base/window_frame.h
    COMMENT "Drawing the background picture and the icon"
    VERBATIM)

set(SKH_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/res/launcher.rc)
set_source_files_properties(${SKH_RESOURCE_SCRIPT} PROPERTIES
    OBJECT_DEPENDS "${SKH_PICTURES};${CMAKE_SOURCE_DIR}/res/resource_ids.h;${CMAKE_BINARY_DIR}/generated/launcher.manifest;${CMAKE_BINARY_DIR}/generated/build_config.h")
# The pictures are listed as sources too, so that the custom command runs before the script
# is compiled; windres finds them through the include folders.
add_library(skh_resources OBJECT ${SKH_RESOURCE_SCRIPT} ${SKH_PICTURES})
target_include_directories(skh_resources PRIVATE ${SKH_PICTURE_DIR} ${CMAKE_SOURCE_DIR}
                           ${CMAKE_BINARY_DIR}/generated)
