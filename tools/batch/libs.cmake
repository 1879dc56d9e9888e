target_link_libraries(${exe} PRIVATE ziva_program ziva_render)
