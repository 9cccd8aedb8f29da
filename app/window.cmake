# The window program. Included from app/CMakeLists.txt, which finds Qt and turns on AUTOMOC/AUTORCC.

# The pictures of the display area, without widgets: module bitmap, scaling, the painted area.
add_library(qrrender STATIC render.cpp render.h)
target_include_directories(qrrender PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qrrender PUBLIC Qt6::Gui qrgrid)

# The window, the text box's length limit, the error box, the reason for a missing symbol, the
# theme and the icon, and Qt's translations.
add_library(qrapp STATIC
  mainwindow.cpp mainwindow.h
  textlimit.cpp textlimit.h
  errorbox.cpp errorbox.h
  nosymbol.cpp nosymbol.h
  theme.cpp theme.h
  translations.cpp translations.h
  resources/window.qrc
)
target_include_directories(qrapp PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qrapp PUBLIC Qt6::Widgets qrrender qrgrid qrjpegsave)

add_executable(quandrel-qr-code main.cpp)
target_link_libraries(quandrel-qr-code PRIVATE qrapp)
