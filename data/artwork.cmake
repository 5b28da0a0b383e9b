# Editor pictures: each committed PNG of data/artwork/ becomes a C++ byte array in the
# build tree, so the build needs no image tools.
set(artwork_pictures
  background:kBackgroundPng
  jack:kJackPng
  bat_switch_down:kBatSwitchDownPng
  bat_switch_up:kBatSwitchUpPng
  led_button_lit:kLedButtonLitPng
  led_button_dark:kLedButtonDarkPng)
set(artwork_embed_script ${CMAKE_CURRENT_SOURCE_DIR}/../tools/artwork/embed_binary.cmake)

foreach(entry IN LISTS artwork_pictures)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 file_stem)
  list(GET entry 1 symbol)
  set(png ${CMAKE_CURRENT_SOURCE_DIR}/artwork/${file_stem}.png)
  set(cpp ${CMAKE_CURRENT_BINARY_DIR}/artwork/${symbol}.cpp)
  add_custom_command(OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/artwork
    COMMAND ${CMAKE_COMMAND} -DINPUT=${png} -DOUTPUT=${cpp} -DSYMBOL=${symbol}
            -DHEADER=EditorArtwork.h -P ${artwork_embed_script}
    DEPENDS ${png} ${artwork_embed_script}
    COMMENT "Embedding ${file_stem}.png"
    VERBATIM)
  target_sources(brondavell_data PRIVATE ${cpp})
endforeach()
