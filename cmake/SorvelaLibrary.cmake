# sorvela_library(NAME DIR DEPS...)
# One static library per source folder; every .cpp of the folder (not of its
# subfolders) belongs to it, so adding a file needs no edit here.
function(sorvela_library name)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(NOT _src)
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    return()
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# sorvela_test(NAME SOURCES... LIBS ...)
# A test executable registered with CTest; widget tests run on the offscreen
# platform with their own settings folder so no user file is touched.
function(sorvela_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    SORVELA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SORVELA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Instrumented code runs a few times slower; the limits grow with it.
  if(SORVELA_SANITIZE)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config/${name};XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data/${name}")
endfunction()

# sorvela_test_cartella(LIBS ...)
# Every tst_*.cpp of the current folder becomes one test executable linking
# LIBS, so several people can add tests to one folder without editing here.
# Extra sources shared by the folder's tests: *_aiuto.cpp (linked into each).
function(sorvela_test_cartella)
  cmake_parse_arguments(T "" "TIMEOUT" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  file(GLOB _aiuti CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_aiuto.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*_aiuto.h)
  foreach(t ${_tests})
    get_filename_component(n ${t} NAME_WE)
    sorvela_test(${n} SOURCES ${t} ${_aiuti} LIBS ${T_LIBS} TIMEOUT ${T_TIMEOUT})
  endforeach()
endfunction()

# sorvela_test_lungo(NAME EXECUTABLE FUNCTION TIMEOUT)
# One test function of EXECUTABLE run alone for real time (with
# SORVELA_MINUTO_REALE set), labelled "lungo": run by CI after the suite.
function(sorvela_test_lungo name eseguibile funzione limite)
  if(NOT TARGET ${eseguibile})
    return()
  endif()
  add_test(NAME ${name} COMMAND ${eseguibile} ${funzione})
  if(SORVELA_SANITIZE)
    math(EXPR limite "${limite} * 3")
  endif()
  set_tests_properties(${name} PROPERTIES LABELS lungo TIMEOUT ${limite}
    ENVIRONMENT "SORVELA_MINUTO_REALE=1;QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config/${name};XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data/${name}")
endfunction()

# sorvela_test_lettura_singola(EXECUTABLE TIMEOUT [LABEL label] [FUNCTIONS f...])
# EXECUTABLE (or only its FUNCTIONS) again as "<EXECUTABLE>_singola", with
# every listed message read again by its index instead of taken from the
# listing: the reception tests pass both ways.
function(sorvela_test_lettura_singola eseguibile limite)
  cmake_parse_arguments(T "" "LABEL" "FUNCTIONS" ${ARGN})
  if(NOT TARGET ${eseguibile})
    return()
  endif()
  set(name ${eseguibile}_singola)
  add_test(NAME ${name} COMMAND ${eseguibile} ${T_FUNCTIONS})
  if(SORVELA_SANITIZE)
    math(EXPR limite "${limite} * 3")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${limite}
    ENVIRONMENT "SORVELA_PROVA_LETTURA=singola;QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config/${name};XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data/${name}")
  if(T_LABEL)
    set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL})
  endif()
endfunction()
