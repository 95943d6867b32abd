# DesktopEntry.cmake - writing the menu entry with the launcher's real path.
#
# Run from the install script, where the final prefix is known. Exec takes
# a command line, TryExec a plain path; both are desktop-entry strings.
#
# Exec quoting (the freedesktop desktop-entry rules, "The Exec key"): an argument
# holding a blank or any of " ' \ > < ~ | & ; $ * ? # ( ) ` is put in double
# quotes, and inside them " ` $ \ are preceded by a backslash. A literal %
# is written %%. Then the string-value escape applies to the whole value:
# every backslash is doubled.

function(quorvex_desktop_string_escape text out_var)
  string(REPLACE "\\" "\\\\" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(quorvex_desktop_exec_argument path out_var)
  set(arg "${path}")
  if(arg MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
    foreach(c "\\" "\"" "`" "$")
      string(REPLACE "${c}" "\\${c}" arg "${arg}")
    endforeach()
    set(arg "\"${arg}\"")
  endif()
  string(REPLACE "%" "%%" arg "${arg}")
  quorvex_desktop_string_escape("${arg}" arg)
  set(${out_var} "${arg}" PARENT_SCOPE)
endfunction()

function(quorvex_write_desktop_entry template out launcher)
  if(launcher MATCHES "[\n\r]")
    message(FATAL_ERROR "A desktop entry cannot name a path with a line break: ${launcher}")
  endif()
  quorvex_desktop_exec_argument("${launcher}" QUORVEX_DESKTOP_EXEC)
  quorvex_desktop_string_escape("${launcher}" QUORVEX_DESKTOP_TRYEXEC)
  configure_file("${template}" "${out}" @ONLY)
endfunction()
