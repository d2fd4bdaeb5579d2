# Reads the COM server's identifiers from shellext/identifiers.h, the one place they are
# written, so that the registry scripts and the type library source are generated with the
# same values. Sets, in the caller's scope, VANTREL_<NAME> to the registry text form
# ("{XXXXXXXX-...}") and VANTREL_<NAME>_BARE to the form without braces, for NAME in CLSID,
# IID, LIBID and APPID.
function(vantrel_read_identifiers header)
  file(READ "${header}" text)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
  set(hex "[0-9A-F]")
  set(guid "{${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}-${hex}${hex}${hex}${hex}-${hex}${hex}${hex}${hex}-${hex}${hex}${hex}${hex}-${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}${hex}}")
  foreach(pair "CLSID;kClsidText" "IID;kIidText" "LIBID;kLibidText" "APPID;kAppidText")
    list(GET pair 0 name)
    list(GET pair 1 constant)
    if(NOT text MATCHES "${constant}\\[\\][ \t\r\n]*=[ \t\r\n]*\"(${guid})\"")
      message(FATAL_ERROR "${header}: no ${constant} in registry text form")
    endif()
    set(value "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^{(.*)}$" "\\1" bare "${value}")
    set(VANTREL_${name} "${value}" PARENT_SCOPE)
    set(VANTREL_${name}_BARE "${bare}" PARENT_SCOPE)
  endforeach()
endfunction()
