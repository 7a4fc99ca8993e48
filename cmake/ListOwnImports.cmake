# Writes OUTPUT: every function that the object files and archives in INPUTS ("|"-separated)
# import from a DLL, one name per line, sorted (cmake -P; NM is the toolchain's nm, POINTER_SIZE
# the target's pointer size).
string(REPLACE "|" ";" inputs "${INPUTS}")
execute_process(COMMAND ${NM} -u ${inputs} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${inputs}")
endif()
# An import is reached through its "__imp_" pointer: "__imp__AppendMenuW@16" on i686 (C names
# carry a leading underscore and stdcall ones an "@" suffix there), "__imp_AppendMenuW" on x86_64.
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" references "${symbols}")
set(names "")
foreach(reference IN LISTS references)
  # One capture of the rest, since a bare "^_" would be applied again at each new start.
  if(POINTER_SIZE EQUAL 4)
    string(REGEX REPLACE "^__imp__(.+)$" "\\1" name "${reference}")
  else()
    string(REGEX REPLACE "^__imp_(.+)$" "\\1" name "${reference}")
  endif()
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(JOIN names "\n" text)
file(WRITE "${OUTPUT}" "${text}\n")
