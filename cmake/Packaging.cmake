# Packaging.cmake - installing Quorvex as a desktop program, and its Debian
# package.
#
# `cmake --install BUILD` (prefix from CMAKE_INSTALL_PREFIX or --prefix,
# staged under DESTDIR when that is set) lays out, by GNUInstallDirs:
#
#   bin/quorvex                          the explorer         (GUI builds)
#   bin/quorvex-render                   the headless renderer
#   libexec/quorvex/quorvex-desktop      menu launcher: starts the explorer
#                                        in the pictures folder (GUI builds)
#   share/applications/quorvex.desktop   menu entry             (GUI builds)
#   share/icons/hicolor/128x128/apps/quorvex.png
#                                        rendered by quorvex-render at build
#                                        time                   (GUI builds)
#   share/man/man1/quorvex.1.gz          (GUI builds)
#   share/man/man1/quorvex-render.1.gz
#
# The menu entry has to name its launcher by an absolute path, and that
# path depends on the prefix chosen at install time (--prefix, or the
# packaging prefix), so the entry is written when installing, not when
# configuring.
#
# `cpack -G DEB` (or the `package` target) builds quorvex_VERSION-1_ARCH.deb
# installing under /usr. Its Depends line is worked out by dpkg-shlibdeps
# from the libraries the binaries really link (freeglut, GLU, GL, libpng,
# libX11, MPFR (which brings GMP), the C and C++ run-times), so it cannot
# drift from the build.
#
# The ctest test `install_layout` (label install) installs into a scratch
# DESTDIR and checks the result; tools/package-check.sh builds, installs and
# removes the package itself.

include(GNUInstallDirs)

set(QUORVEX_DATA_DIR ${CMAKE_CURRENT_SOURCE_DIR}/data)
set(QUORVEX_MAN_DIR ${CMAKE_CURRENT_SOURCE_DIR}/man)
set(QUORVEX_STAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# --- build-time data ---------------------------------------------------------

# Manual pages are installed compressed, as man-db and Debian expect;
# `gzip -n` leaves out the name and time, so the output is reproducible.
find_program(QUORVEX_GZIP gzip)

function(quorvex_man_page page out_var)
  set(src ${QUORVEX_MAN_DIR}/${page})
  if(NOT QUORVEX_GZIP)
    set(${out_var} ${src} PARENT_SCOPE)
    return()
  endif()
  set(out ${QUORVEX_STAGE_DIR}/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${src} ${QUORVEX_STAGE_DIR}/${page}
    COMMAND ${QUORVEX_GZIP} -9nf ${QUORVEX_STAGE_DIR}/${page}
    DEPENDS ${src}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# The menu icon is a picture of the program's own making: the Mandelbrot set
# at 128 x 128 through the renderer, on one thread so that the build does
# not depend on the machine.
function(quorvex_icon out_var)
  set(out ${QUORVEX_STAGE_DIR}/quorvex.png)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEX_STAGE_DIR}
    COMMAND quorvex-render --size 128x128 --threads 1 --detail 100
            --view=-2.1,0.7,-1.4,1.4 --palette 2,4,6 ${out}
    DEPENDS quorvex-render
    COMMENT "Rendering the 128x128 menu icon"
    VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# The launcher finds the explorer relative to itself, so the path from its
# directory to bindir is fixed now (both under the same prefix).
function(quorvex_launcher out_var)
  file(RELATIVE_PATH to_bindir
    ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quorvex ${CMAKE_INSTALL_FULL_BINDIR})
  if(to_bindir STREQUAL "")
    set(to_bindir .)
  endif()
  set(QUORVEX_LAUNCHER_TO_BINDIR ${to_bindir})
  set(out ${QUORVEX_STAGE_DIR}/quorvex-desktop)
  configure_file(${QUORVEX_DATA_DIR}/quorvex-desktop.in ${out} @ONLY)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# The entry is written at install time, when CMAKE_INSTALL_PREFIX is the
# prefix the files really go to (cmake/DesktopEntry.cmake quotes the path).
function(quorvex_install_desktop_entry)
  set(entry ${QUORVEX_STAGE_DIR}/quorvex.desktop)
  install(CODE "
    set(launcher \"${CMAKE_INSTALL_LIBEXECDIR}/quorvex/quorvex-desktop\")
    if(NOT IS_ABSOLUTE \"\${launcher}\")
      set(launcher \"\${CMAKE_INSTALL_PREFIX}/\${launcher}\")
    endif()
    include(\"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/DesktopEntry.cmake\")
    quorvex_write_desktop_entry(\"${QUORVEX_DATA_DIR}/quorvex.desktop.in\" \"${entry}\" \"\${launcher}\")
  ")
  install(FILES ${entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endfunction()

# --- install rules -------------------------------------------------------------

file(MAKE_DIRECTORY ${QUORVEX_STAGE_DIR})
install(TARGETS quorvex-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
quorvex_man_page(quorvex-render.1 render_page)
set(data_outputs ${render_page})

if(TARGET quorvex)
  install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  quorvex_man_page(quorvex.1 explorer_page)
  quorvex_icon(icon)
  quorvex_launcher(launcher)
  list(APPEND data_outputs ${explorer_page} ${icon})
  install(FILES ${explorer_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
  install(PROGRAMS ${launcher} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quorvex)
  quorvex_install_desktop_entry()
endif()

install(FILES ${render_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
add_custom_target(quorvex_install_data ALL DEPENDS ${data_outputs})

# --- the test of the installed tree --------------------------------------------

if(QUORVEX_TESTS)
  add_test(NAME install_layout
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/install_test.sh
            ${CMAKE_CURRENT_BINARY_DIR} $<IF:$<TARGET_EXISTS:quorvex>,gui,headless>)
  set_tests_properties(install_layout PROPERTIES LABELS install TIMEOUT 300)
endif()

# --- the Debian package ------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR "Quorvex developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive escape-time fractal explorer")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Quorvex computes escape-time fractals of ten types (Mandelbrot, Julia and\n"
  "the M- and J- kinds of Dragon, Phoenix, Cosine and Cosh) in one fixed-size\n"
  "window, row by row or on worker threads. Zoom by dragging a rectangle,\n"
  "pick the Julia pivot with a click, recolour each channel through nine\n"
  "ramps, save your work as a parameter file and export the picture as PPM.\n"
  "\n"
  "quorvex-render computes the same pictures without a display, at any size,\n"
  "as PNG, PPM, PGM or parameter files.")
set(QUORVEX_PACKAGE_MAINTAINER "Quorvex developers <quorvex@localhost>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUORVEX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Packages install under /usr whatever prefix a source install uses; the
# install runs with DESTDIR so that CMAKE_INSTALL_PREFIX is /usr when the
# menu entry is written.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
