# Helpers shared by the library, test and benchmark folders.
#
# Sources are collected by glob (CONFIGURE_DEPENDS), so adding a file to a folder needs no
# CMake edit: each folder under src/ is one static library, each folder under tests/ one
# test executable.

function(quillmark_pch target)
  if(QUILLMARK_PCH)
    target_precompile_headers(${target} PRIVATE
      <QtCore/QString> <QtCore/QByteArray> <QtGui/QImage> <QtGui/QPainter> <QtGui/QPainterPath>
      <vector> <memory> <cmath> <algorithm> <optional> <functional>)
  endif()
endfunction()

# quillmark_library(name DIRS dir... DEPS lib...)
function(quillmark_library name)
  cmake_parse_arguments(Q "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  set(cpps)
  foreach(dir IN LISTS Q_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    file(GLOB_RECURSE found_cpp CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
    list(APPEND cpps ${found_cpp})
  endforeach()
  if(NOT cpps)
    # A folder without code yet: an empty interface target keeps the dependency graph whole.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${Q_DEPS})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${Q_DEPS})
  quillmark_pch(${name})
endfunction()

# quillmark_test(name DIR dir DEPS lib...): one GoogleTest executable from every .cpp in dir.
function(quillmark_test name)
  cmake_parse_arguments(Q "" "DIR" "DEPS" ${ARGN})
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${Q_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${Q_DIR}/*.h)
  if(NOT found)
    return()
  endif()
  add_executable(${name} ${found})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${Q_DEPS} quillmark_testsupport GTest::gtest GTest::gmock)
  quillmark_pch(${name})
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()
