# Installs the package into a fresh prefix, builds a small application
# against it and its controls library with find_package(KVIB5) and runs it
# under a German and an English user language; builds and runs the first
# application of examples/ against the same prefix.
#   cmake -DBUILD_DIR=.. -DCONSUMER_DIR=.. -DEXAMPLE_DIR=.. -DWORK_DIR=.. -DGENERATOR=..
#         -DCXX_COMPILER=.. -DCXX_FLAGS=.. -DLIBDIR=.. -P InstallTest.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component KVIB5)
foreach(file ${LIBDIR}/KVIB5.so ${LIBDIR}/KVIB5.de ${LIBDIR}/libkvcore.so include/KVIB5/KVIB5.h
             include/KVIB5/IBRowvaneKV.h include/KVIB5/Ibconstkv.def include/KVIB5/ResModule.h
             ${LIBDIR}/libkvui.so ${LIBDIR}/libkvcontrols.so include/KVIB5/EditKV.h include/KVIB5/Forms.h
             ${LIBDIR}/cmake/KVIB5/KVIB5Config.cmake ${LIBDIR}/cmake/KVIB5/KVIB5ConfigVersion.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The units' shared internals stay out, and nothing but KVIB5/ goes into include/.
file(GLOB internal ${prefix}/include/KVIB5/*Internal.h ${prefix}/include/KVIB5/*Private.h)
if(internal)
  message(FATAL_ERROR "internal headers installed: ${internal}")
endif()
file(GLOB includes RELATIVE ${prefix}/include ${prefix}/include/*)
if(NOT includes STREQUAL "KVIB5")
  message(FATAL_ERROR "include/ holds more than KVIB5/: ${includes}")
endif()

foreach(project ${CONSUMER_DIR}:app ${EXAMPLE_DIR}:example)
  string(REGEX REPLACE ":[^:]*$" "" source ${project})
  string(REGEX REPLACE "^.*:" "" binary ${project})
  run(${CMAKE_COMMAND} -S ${source} -B ${WORK_DIR}/${binary} -G ${GENERATOR}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror ${CXX_FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}" -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/${binary})
endforeach()

# The first application on a new database: it ends with the window showing
# the row it posted (package/tests/ReadmeSteps.sh reads all it says).
run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WORK_DIR}/example/FirstApplication
    ${WORK_DIR}/first.fdb --close)
if(NOT output MATCHES "posted   8 Lemon 9.99\nwindow   First application: Lemon\n$")
  message(FATAL_ERROR "the first application did not work as installed:\n${output}")
endif()

set(app ${WORK_DIR}/app/kvib5consumer)
set(german "Datenmenge ist leer\nFeld \"ID\" nicht vorhanden\n")
set(english "Dataset is empty\nField \"ID\" not found\n")
foreach(language "de_DE.UTF-8;german" "C;english")
  list(GET language 0 lang)
  list(GET language 1 expected)
  run(${CMAKE_COMMAND} -E env --unset=LC_ALL --unset=LC_MESSAGES LANG=${lang} ${app})
  string(FIND "${output}" "${${expected}}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "LANG=${lang}: expected\n${${expected}}got\n${output}")
  endif()
  # Finalize takes the package's classes off the palette again.
  if(NOT output MATCHES "KVDB:\nKV:")
    message(FATAL_ERROR "LANG=${lang}: the palette keeps the package's classes after Finalize:\n${output}")
  endif()
  # The controls library: its palette page and a validating edit at work.
  if(NOT output MATCHES "KV: TEditKV\nTEditKV: 42\n$")
    message(FATAL_ERROR "LANG=${lang}: the controls library does not work as installed:\n${output}")
  endif()
endforeach()

# Without its language library the installed package speaks English.
file(REMOVE ${prefix}/${LIBDIR}/KVIB5.de)
run(${CMAKE_COMMAND} -E env --unset=LC_ALL --unset=LC_MESSAGES LANG=de_DE.UTF-8 ${app})
string(FIND "${output}" "${english}" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "without KVIB5.de: expected\n${english}got\n${output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
