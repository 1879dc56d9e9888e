# ziva-batch loads its printer (the renderer, with Qt: bitmaps, SVG, PDF) as a module on the first print, so that
# runs without a print never load Qt. The module holds only the renderer: the object model and
# everything below it are the executable's own copy, which the executable exports to the module.
target_link_libraries(${exe} PRIVATE ziva_program ${CMAKE_DL_LIBS})
# The whole object model goes in, whatever the tool itself calls, as the printer needs it.
target_link_options(${exe} PRIVATE "LINKER:--whole-archive" "$<TARGET_FILE:ziva_core>"
  "$<TARGET_FILE:ziva_base>" "LINKER:--no-whole-archive")
set_target_properties(${exe} PROPERTIES ENABLE_EXPORTS ON)
file(GLOB ziva_batch_print_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/batch/module/*.cpp)
add_library(ziva_render_pic OBJECT
  $<TARGET_PROPERTY:ziva_render,SOURCES>)
set_target_properties(ziva_render_pic PROPERTIES POSITION_INDEPENDENT_CODE ON)
set(ziva_render_includes $<TARGET_PROPERTY:ziva_render,INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:ziva_core,INTERFACE_INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:ziva_base,INTERFACE_INCLUDE_DIRECTORIES>)
target_include_directories(ziva_render_pic PRIVATE ${ziva_render_includes})
target_link_libraries(ziva_render_pic PRIVATE Qt6::Gui Qt6::Svg Eigen3::Eigen)
add_library(ziva-batch-print MODULE ${ziva_batch_print_srcs} $<TARGET_OBJECTS:ziva_render_pic>)
target_include_directories(ziva-batch-print PRIVATE ${ziva_render_includes})
target_link_libraries(ziva-batch-print PRIVATE Qt6::Gui Qt6::Svg Eigen3::Eigen ZLIB::ZLIB)
set_target_properties(ziva-batch-print PROPERTIES
  PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
add_dependencies(${exe} ziva-batch-print)
target_compile_definitions(${exe} PRIVATE
  ZIVA_BATCH_PRINT_MODULE="$<TARGET_FILE_NAME:ziva-batch-print>")
