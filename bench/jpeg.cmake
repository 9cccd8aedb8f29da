# "Gravar" without the dialog: capture (render the display area) + compress + write, 406 x 406.
if(QUANDREL_APP)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  add_executable(bench_jpeg ${CMAKE_CURRENT_LIST_DIR}/bench_jpeg.cpp)
  target_link_libraries(bench_jpeg PRIVATE qrjpegsave benchmark::benchmark)
endif()
