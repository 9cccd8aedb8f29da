# The window program. Included from app/CMakeLists.txt, which finds Qt and turns on AUTOMOC/AUTORCC.

# The window, the text box's length limit, the error box, the theme and the icon, Qt's
# translations and its start without a display: the toolkit's side of the window, over the toolkit-free qrwindow.
add_library(qrapp STATIC
  mainwindow.cpp mainwindow.h
  textlimit.cpp textlimit.h
  errorbox.cpp errorbox.h
  theme.cpp theme.h
  quitsignal.cpp quitsignal.h
  startup.cpp startup.h
  translations.cpp translations.h
  qtstrings.h
  resources/window.qrc
)
target_include_directories(qrapp PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qrapp PUBLIC Qt6::Widgets qrgrid qrwindow qrjpegsave PRIVATE qrtext)

add_executable(quandrel-qr-code main.cpp)
target_compile_definitions(quandrel-qr-code PRIVATE QUANDREL_VERSION="${PROJECT_VERSION}")
target_link_libraries(quandrel-qr-code PRIVATE qrapp)
