# Assembles the install medium (cmake -P). Inputs: MEDIUM_DIR, CONTENT_DIR (the repository's
# medium/, may be missing), SETUP (may be empty), PACKAGE, UNINSTALLER, BENCH_ONLY (true for the
# test bench's medium, whose programs are 64-bit and must never be shipped).
#
# Windows does not tell "Driver" from "driver"; Linux does. Every path placed here is folded
# onto names already in the medium that differ only in case, so the medium has one "Driver"
# folder that the wizard reaches both as Driver\xp and as driver\vista.

# Sets ${out} to the name of the entry of folder that equals name without regard to case, or to
# name itself when there is none.
function(existing_name folder name out)
  set(result ${name})
  if(IS_DIRECTORY "${folder}")
    string(TOLOWER "${name}" wanted)
    file(GLOB entries RELATIVE "${folder}" LIST_DIRECTORIES true "${folder}/*")
    foreach(entry IN LISTS entries)
      string(TOLOWER "${entry}" lowered)
      if(lowered STREQUAL wanted)
        set(result ${entry})
        break()
      endif()
    endforeach()
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Copies file source to MEDIUM_DIR/relative (a "/"-separated path), folding each part of the
# path onto what exists; only a changed file is written.
function(place source relative)
  string(REPLACE "/" ";" parts "${relative}")
  set(at "${MEDIUM_DIR}")
  foreach(part IN LISTS parts)
    existing_name("${at}" "${part}" folded)
    set(at "${at}/${folded}")
  endforeach()
  get_filename_component(folder "${at}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  configure_file("${source}" "${at}" COPYONLY)
endfunction()

file(MAKE_DIRECTORY "${MEDIUM_DIR}")
if(SETUP)
  place("${SETUP}" "Setup.exe")
endif()
place("${PACKAGE}" "Driver/xp/Lumitactile.exe")
place("${UNINSTALLER}" "Driver/vista/FTDIUNIN.exe")
place("${UNINSTALLER}" "Driver/98&me/FTDIUNIN.exe")

# The repository's content: sample data, prompts, ... (hidden files such as .gitkeep are not
# part of the medium).
if(IS_DIRECTORY "${CONTENT_DIR}")
  file(GLOB_RECURSE content RELATIVE "${CONTENT_DIR}" "${CONTENT_DIR}/*")
  foreach(relative IN LISTS content)
    if(NOT relative MATCHES "(^|/)\\.")
      place("${CONTENT_DIR}/${relative}" "${relative}")
    endif()
  endforeach()
endif()

# The bench's medium says at its root what it is, so nobody copies it to a real medium.
if(BENCH_ONLY)
  file(WRITE "${MEDIUM_DIR}/NOT-FOR-SHIPPING.txt"
"This is the test bench's medium. Its Setup.exe and driver stand-ins are 64-bit builds for the
tests under Wine, which do not start on 32-bit Windows. The medium to ship is
build/i686/medium/.
")
endif()
