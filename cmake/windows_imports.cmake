# Import libraries for the two closed DLLs the plug-in links against on
# Windows, made with dlltool from our own .def files (plugin/imports). The .def
# files carry 32-bit stdcall decorations; for 64-bit builds they are stripped
# first. --kill-at makes every import undecorated in the DLL's import table.
#
#   vardek_add_import_library(<target> <def file>)
# defines an IMPORTED static library <target> to link the plug-in with.

function(vardek_add_import_library target def)
  get_filename_component(stem ${def} NAME_WE)
  set(arch_def ${CMAKE_CURRENT_BINARY_DIR}/imports/${stem}.def)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/imports/lib${stem}.a)
  file(READ ${def} text)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
  endif()
  file(GENERATE OUTPUT ${arch_def} CONTENT "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  add_custom_command(OUTPUT ${lib}
    COMMAND ${VARDEK_DLLTOOL} --kill-at -d ${arch_def} -l ${lib}
    DEPENDS ${arch_def}
    COMMENT "Import library ${stem} from ${stem}.def")
  add_custom_target(${target}_build DEPENDS ${lib})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${target} ${target}_build)
endfunction()
