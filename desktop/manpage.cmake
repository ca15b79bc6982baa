# manpage.cmake -- writes the game's manual page from its own --help text, so
# the options are written down in one place only.
# cmake -DGAME=<balltoss> -DVERSION=<x.y.z> -DOUT=<balltoss.6> -P manpage.cmake
execute_process(COMMAND ${GAME} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GAME} --help ended with ${status}")
endif()
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUT} ".TH BALLTOSS 6 \"\" \"balltoss ${VERSION}\" \"Games\"
.SH NAME
balltoss \\- first-person ball toss against the clock
.SH SYNOPSIS
.nf
${help}.fi
.SH FILES
.TP
.I ~/.config/balltoss/balltoss.conf
the settings (in $XDG_CONFIG_HOME/balltoss when that is set); see Settings above.
.B balltoss \\-\\-write\\-config
writes one with the defaults.
.SH EXIT STATUS
0 when the player ends the game; 1 when the window or the sound cannot be
started (after its line on the console); 2 for a command line it refuses.
")
