# The application's fuzz targets: the text box's reading and limiting, JPEG compression, the file
# writers, the command line's arguments and the batch's file names.
# Included from fuzz/CMakeLists.txt; they need the application's libraries.
if(NOT QUANDREL_APP)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets)
find_package(JPEG REQUIRED)

# Counting and cutting on arbitrary UTF-16, and a TLimitedMemo fed every way text arrives, under
# an offscreen QApplication.
add_executable(fuzz_textpath fuzz_textpath.cpp)
target_link_libraries(fuzz_textpath PRIVATE qrapp Qt6::Widgets)
target_link_options(fuzz_textpath PRIVATE -fsanitize=fuzzer)

# CompressJpeg on small, odd and empty sizes; the stream is parsed and decoded back.
add_executable(fuzz_jpeg fuzz_jpeg.cpp)
target_include_directories(fuzz_jpeg PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(fuzz_jpeg PRIVATE qrpicture JPEG::JPEG)
target_link_options(fuzz_jpeg PRIVATE -fsanitize=fuzzer)

# The file writers at every setting, each file read back (libpng for PNG, cells for SVG and EPS).
find_package(PNG REQUIRED)
add_executable(fuzz_formats fuzz_formats.cpp ${PROJECT_SOURCE_DIR}/tests/support/pngread.cpp)
target_include_directories(fuzz_formats PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(fuzz_formats PRIVATE qrformats qrpicture PNG::PNG)
target_link_options(fuzz_formats PRIVATE -fsanitize=fuzzer)

# quandrel-qr's argument parsing with any argument list.
add_executable(fuzz_cliargs fuzz_cliargs.cpp)
target_link_libraries(fuzz_cliargs PRIVATE qrcli)
target_link_options(fuzz_cliargs PRIVATE -fsanitize=fuzzer)

# The batch's output template and name cleaning: every path lands inside the template's folder.
add_executable(fuzz_batchname fuzz_batchname.cpp)
target_link_libraries(fuzz_batchname PRIVATE qrcli)
target_link_options(fuzz_batchname PRIVATE -fsanitize=fuzzer)
