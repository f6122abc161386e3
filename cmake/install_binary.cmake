# Installs the game's binary: in games/ for a system install (Debian's place
# for games, and where its package puts it), in bin/ under any other prefix,
# such as ~/.local, whose bin/ is on the player's PATH. Stripped when the
# install asks for it. Expects BOXTOLO_BINARY.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(dir games)
else()
  set(dir bin)
endif()
file(INSTALL "${BOXTOLO_BINARY}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${dir}" USE_SOURCE_PERMISSIONS)
if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND strip --strip-unneeded "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dir}/boxtolo")
endif()
