# Programs live in the program folder beside their libraries and document;
# <prefix>/bin gets a relative link to each, so the folder can move whole.
function(zan_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${ZAN_PROGRAM_DIR})
  file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${ZAN_PROGRAM_DIR}/${target})
  install(CODE "
    set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin_dir}\")
    file(CREATE_LINK \"${link_target}\" \"\${bin_dir}/${target}\" SYMBOLIC)
    message(STATUS \"Installing link: \${bin_dir}/${target} -> ${link_target}\")
  ")
endfunction()
