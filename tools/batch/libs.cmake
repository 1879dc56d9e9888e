# ziva-batch loads its bitmap printer (the renderer, with Qt) as a module on the first print, so
# that runs without a bitmap never load Qt. The module carries its own copy of the object model's
# code, compiled from the same sources, and exports one C entry.
target_link_libraries(${exe} PRIVATE ziva_program ${CMAKE_DL_LIBS})
file(GLOB ziva_batch_print_srcs CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tools/batch/module/*.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/render/*.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/core/*.cpp
  ${CMAKE_SOURCE_DIR}/src/base/*.cpp)
add_library(ziva-batch-print MODULE ${ziva_batch_print_srcs})
target_include_directories(ziva-batch-print PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(ziva-batch-print PRIVATE Qt6::Gui Eigen3::Eigen)
set_target_properties(ziva-batch-print PROPERTIES
  PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
add_dependencies(${exe} ziva-batch-print)
target_compile_definitions(${exe} PRIVATE
  ZIVA_BATCH_PRINT_MODULE="$<TARGET_FILE_NAME:ziva-batch-print>")
