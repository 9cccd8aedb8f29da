# quandrel-qr: the same symbols and the same JPEG from the command line.
add_library(qrcli STATIC ${CMAKE_CURRENT_LIST_DIR}/commandline.cpp)
target_include_directories(qrcli PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qrcli PUBLIC qrgrid)

add_executable(quandrel-qr ${CMAKE_CURRENT_LIST_DIR}/cli_main.cpp)
target_compile_definitions(quandrel-qr PRIVATE QUANDREL_VERSION="${PROJECT_VERSION}")
target_link_libraries(quandrel-qr PRIVATE qrcli qrrender qrjpegsave)
