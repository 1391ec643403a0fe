# Run by `cmake --install`: the bin/ link to the program and the desktop entry.
# Expects VELTA_BINDIR, VELTA_LIBDIR, VELTA_DATADIR, VELTA_ICON_DIR and
# VELTA_DESKTOP_TEMPLATE (set by data/CMakeLists.txt); honours DESTDIR.

function(velta_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

velta_full_path(bindir "${VELTA_BINDIR}")
velta_full_path(libdir "${VELTA_LIBDIR}")
velta_full_path(datadir "${VELTA_DATADIR}")
velta_full_path(icondir "${VELTA_ICON_DIR}")
set(staged "$ENV{DESTDIR}")

# A relative link, so the installed tree can be moved as a whole.
set(program "${libdir}/velta/velta")
file(RELATIVE_PATH link_target "${bindir}" "${program}")
set(link "${staged}${bindir}/velta")
file(MAKE_DIRECTORY "${staged}${bindir}")
file(REMOVE "${link}")
file(CREATE_LINK "${link_target}" "${link}" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
message(STATUS "Installing: ${link} -> ${link_target}")

# The entry names the final paths (without DESTDIR); Exec quotes a path with
# spaces as the desktop entry format asks, TryExec takes it bare.
set(VELTA_DESKTOP_TRYEXEC "${bindir}/velta")
set(VELTA_DESKTOP_EXEC "${VELTA_DESKTOP_TRYEXEC}")
if(VELTA_DESKTOP_EXEC MATCHES " ")
  set(VELTA_DESKTOP_EXEC "\"${VELTA_DESKTOP_EXEC}\"")
endif()
set(VELTA_DESKTOP_ICON "${icondir}/velta.svg")
set(entry "${staged}${datadir}/applications/velta.desktop")
configure_file("${VELTA_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
message(STATUS "Installing: ${entry}")
