# The GTK entry that scripts/run.sh's one-dictation demos type into (and the
# desktop tests use as a target field). It is built in every preset, tests or
# not, at the same place, so the demo finds it in the release tree too.
# The caller enables C (CMake allows that only at file scope).
function(velnor_add_gtk_entry)
  pkg_check_modules(VELNOR_GTK3 IMPORTED_TARGET gtk+-3.0)
  if(VELNOR_GTK3_FOUND AND NOT TARGET velnor-gtk-entry)
    add_executable(velnor-gtk-entry ${PROJECT_SOURCE_DIR}/tests/support/desktop/GtkEntryApp.c)
    target_link_libraries(velnor-gtk-entry PRIVATE PkgConfig::VELNOR_GTK3)
    target_compile_options(velnor-gtk-entry PRIVATE -Wall -Wextra -Werror)
    set_target_properties(velnor-gtk-entry PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                      ${PROJECT_BINARY_DIR}/tests/support/desktop)
  endif()
endfunction()
