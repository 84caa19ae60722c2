# The HTTP fixture (http_fixture.h): a scripted HTTP server on 127.0.0.1 for the HTTP library's
# and the website scanner's tests, and the loopback server of the scanner's benchmarks (so a
# benchmark build without the tests includes this file too). Plain C++ on the scripted server
# base (scripted_server.h).
if(NOT TARGET quendrix_test_http_fixture)
  find_package(GTest REQUIRED)
  add_library(quendrix_test_http_fixture STATIC ${CMAKE_CURRENT_LIST_DIR}/http_fixture.h
              ${CMAKE_CURRENT_LIST_DIR}/http_fixture.cpp ${CMAKE_CURRENT_LIST_DIR}/scripted_server.h)
  target_link_libraries(quendrix_test_http_fixture PUBLIC quendrix_options Threads::Threads
                        GTest::gtest)
  target_include_directories(quendrix_test_http_fixture PUBLIC ${PROJECT_SOURCE_DIR}/tests)
endif()
