# The installed program's desktop entry: assets/desktop/velmora.desktop.in with NAME, ICON and
# the installed program's path PROGRAM filled in, as `text`. Runs at install time
# (cmake/Install.cmake); the program fills in the same template through GLib's key file.
file(READ "${CMAKE_CURRENT_LIST_DIR}/../assets/desktop/velmora.desktop.in" text)
# Exec runs PROGRAM: in double quotes with ", `, $ and \ escaped when it holds a character that
# a command line reserves, and every % doubled (it is not a field code).
string(REPLACE "%" "%%" EXEC "${PROGRAM}")
if(EXEC MATCHES "[ \t\n\"'\\><~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" EXEC "${EXEC}")
  set(EXEC "\"${EXEC}\"")
endif()
# As string values: a backslash written twice, a newline and a tab as their escapes.
set(TRY_EXEC "${PROGRAM}")
foreach(value EXEC TRY_EXEC)
  string(REPLACE "\\" "\\\\" ${value} "${${value}}")
  string(REPLACE "\n" "\\n" ${value} "${${value}}")
  string(REPLACE "\t" "\\t" ${value} "${${value}}")
endforeach()
string(CONFIGURE "${text}" text @ONLY)
