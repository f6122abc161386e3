# Installs font.ttf as a link to the system's font, which the game uses in
# place: relative inside /usr, as Debian wants it, absolute elsewhere.
# Expects BOXTOLO_FONT_SOURCE and BOXTOLO_FONT_FILE.
set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/games/boxtolo/font.ttf")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(font "../../fonts/truetype/dejavu/${BOXTOLO_FONT_FILE}")
else()
  set(font "${BOXTOLO_FONT_SOURCE}")
endif()
file(REMOVE "${link}")
file(CREATE_LINK "${font}" "${link}" SYMBOLIC)
message(STATUS "Linking: ${link} -> ${font}")
