# Editor pictures and caption face: each file becomes a C++ byte array in the build tree, so the
# build needs no image tools.
set(artwork_embed_script ${CMAKE_CURRENT_SOURCE_DIR}/../tools/artwork/embed_binary.cmake)

function(brondavell_embed_artwork file symbol)
  get_filename_component(file_name ${file} NAME)
  set(cpp ${CMAKE_CURRENT_BINARY_DIR}/artwork/${symbol}.cpp)
  add_custom_command(OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/artwork
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${cpp} -DSYMBOL=${symbol}
            -DHEADER=EditorArtwork.h -P ${artwork_embed_script}
    DEPENDS ${file} ${artwork_embed_script}
    COMMENT "Embedding ${file_name}"
    VERBATIM)
  target_sources(brondavell_data PRIVATE ${cpp})
endfunction()

foreach(entry
    background:kBackgroundPng
    jack:kJackPng
    bat_switch_down:kBatSwitchDownPng
    bat_switch_up:kBatSwitchUpPng
    led_button_lit:kLedButtonLitPng
    led_button_dark:kLedButtonDarkPng)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 file_stem)
  list(GET entry 1 symbol)
  brondavell_embed_artwork(${CMAKE_CURRENT_SOURCE_DIR}/artwork/${file_stem}.png ${symbol})
endforeach()

# The captions' face, the one the background's printed captions use, built in so that every
# system draws the same face and weight (Debian package fonts-dejavu-core).
find_file(BRONDAVELL_CAPTION_FONT DejaVuSans-Bold.ttf
  PATHS /usr/share/fonts/truetype/dejavu NO_DEFAULT_PATH REQUIRED
  DOC "DejaVu Sans Bold, built into the editor as its caption face")
brondavell_embed_artwork(${BRONDAVELL_CAPTION_FONT} kCaptionFontTtf)
