# Measures of recognised text against the text that was drawn, and pages of known text to draw:
# for the real-engine tests, the benchmarks and the demo, whichever of them this build has.
include_guard(GLOBAL)
add_library(orvel_ocr_text_metrics STATIC ${CMAKE_CURRENT_LIST_DIR}/text_metrics.cpp)
target_include_directories(orvel_ocr_text_metrics PUBLIC ${CMAKE_CURRENT_LIST_DIR})

pkg_check_modules(OCR_TEST_CAIRO REQUIRED IMPORTED_TARGET GLOBAL cairo)
add_library(orvel_ocr_test_pages STATIC ${CMAKE_CURRENT_LIST_DIR}/page_renderer.cpp)
find_package(ZLIB REQUIRED)
target_link_libraries(orvel_ocr_test_pages PUBLIC orvel_ocr_text_metrics PkgConfig::OCR_TEST_CAIRO
                      PRIVATE ZLIB::ZLIB)
