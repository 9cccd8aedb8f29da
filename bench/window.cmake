# The window's Update (two encodings, the module bitmap, the repaint), on Qt's offscreen platform.
if(QUANDREL_APP)
  add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/bench_window.cpp)
  target_link_libraries(bench_window PRIVATE qrapp benchmark::benchmark)
endif()
