target_link_libraries(${exe} PRIVATE ziva_qt)
