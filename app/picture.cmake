# JPEG compression (libjpeg only) and atomic file writing (Qt Core only): no widgets.
add_library(qrjpeg STATIC
  ${CMAKE_CURRENT_LIST_DIR}/jpegwriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/savefile.cpp
)
target_include_directories(qrjpeg PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qrjpeg PUBLIC Qt6::Core PRIVATE JPEG::JPEG)

# The "Gravar" save: the save dialog's settings and convert -> compress -> write.
add_library(qrjpegsave STATIC ${CMAKE_CURRENT_LIST_DIR}/jpegsave.cpp)
target_include_directories(qrjpegsave PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qrjpegsave PUBLIC qrjpeg Qt6::Gui Qt6::Widgets)
