# Checks the plug-in library's symbol tables: exactly the four exports, and on
# Windows exactly the imports from bass.dll and tak_deco_lib.dll and no mingw
# runtime DLL. Run by CTest:
#   cmake -DLIBRARY=<file> -DTOOL=<nm or objdump> -DFORMAT=ELF|PE -P check_exports.cmake

set(expected_exports BASSplugin VARDEK_StreamCreateFile VARDEK_StreamCreateFileUser VARDEK_StreamCreateURL)

function(expect_list what actual expected)
  list(SORT actual)
  list(SORT expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}: got [${actual}], expected [${expected}]")
  endif()
endfunction()

if(FORMAT STREQUAL "ELF")
  execute_process(COMMAND ${TOOL} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" lines "${out}")
  set(names)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
    list(APPEND names ${name})
  endforeach()
  expect_list("exported symbols" "${names}" "${expected_exports}")
  return()
endif()

execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE out COMMAND_ERROR_IS_FATAL ANY)

# Exports: the [Ordinal/Name Pointer] Table lines "[   0] Name".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${out}")
string(REGEX MATCHALL "[[] *[0-9]+[]] [^\n]+" rows "${table}")
set(names)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^[[] *[0-9]+[]] " "" name "${row}")
  list(APPEND names ${name})
endforeach()
expect_list("exported names" "${names}" "${expected_exports}")

# Imports: the names listed under one DLL.
function(imports_of dll result)
  string(REGEX MATCH "DLL Name: ${dll}\n[^\n]*\n(\t[0-9a-f]+\t +[0-9]+ +[^\n]+\n)+" block "${out}")
  string(REGEX MATCHALL "\t[0-9a-f]+\t +[0-9]+ +[^\n]+" rows "${block}")
  set(names)
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\t[0-9a-f]+\t +[0-9]+ +" "" name "${row}")
    list(APPEND names ${name})
  endforeach()
  set(${result} "${names}" PARENT_SCOPE)
endfunction()

imports_of(bass.dll bass_imports)
expect_list("imports from bass.dll" "${bass_imports}" "BASS_GetVersion;_")
imports_of(tak_deco_lib.dll tak_imports)
expect_list("imports from tak_deco_lib.dll" "${tak_imports}"
  "tak_SSD_Create_FromStream;tak_SSD_Valid;tak_SSD_GetStreamInfo;tak_SSD_ReadAudio;tak_SSD_Seek;tak_SSD_Destroy;tak_SSD_GetAPEv2Tag;tak_APE_Valid;tak_APE_GetItemNum;tak_APE_GetItemKey;tak_APE_GetItemValue;tak_APE_GetTextItemValueAsAnsi")

string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${out}")
foreach(dll IN LISTS dlls)
  if(dll MATCHES "(libstdc|libgcc|libwinpthread)")
    message(FATAL_ERROR "runtime DLL imported: ${dll}")
  endif()
endforeach()
