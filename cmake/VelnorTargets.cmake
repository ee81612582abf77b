# Shared compile settings for every target of ours (third-party headers come in
# as system includes through their imported targets, so -Werror stays ours).
function(velnor_apply_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -pedantic -Werror)
  if(VELNOR_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# velnor_add_library(<name> SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A static library whose headers are included as "subsystem/Header.h".
function(velnor_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  velnor_apply_warnings(${name})
endfunction()

# velnor_add_test(<name> LABEL <label> SOURCES ... DEPS ... [TIMEOUT seconds])
# One GoogleTest executable; each TEST becomes its own CTest entry.
function(velnor_add_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} velnor_test_support GTest::gtest GTest::gmock)
  velnor_apply_warnings(${name})
  set(extra_properties)
  if(ARG_LABEL STREQUAL "desktop" OR ARG_LABEL STREQUAL "e2e")
    # One display, clipboard and keyboard focus for all: never two at once.
    set(extra_properties RESOURCE_LOCK velnor_desktop)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} ${extra_properties}
    DISCOVERY_TIMEOUT 30)
endfunction()
