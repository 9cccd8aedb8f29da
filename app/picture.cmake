# JPEG compression (libjpeg only): no toolkit.
add_library(qrjpeg STATIC ${CMAKE_CURRENT_LIST_DIR}/jpegwriter.cpp)
target_include_directories(qrjpeg PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qrjpeg PRIVATE JPEG::JPEG)

# The "Gravar" save: the save dialog's settings and convert -> compress -> write.
add_library(qrjpegsave STATIC ${CMAKE_CURRENT_LIST_DIR}/jpegsave.cpp)
target_include_directories(qrjpegsave PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qrjpegsave PUBLIC qrjpeg qrfiles Qt6::Gui Qt6::Widgets)
