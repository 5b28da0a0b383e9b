# Framework settings shared by every target that compiles JUCE's module sources: the plug-in, the
# offline host and the artwork test's helper library.
add_library(brondavell_juce_settings INTERFACE)
target_compile_definitions(brondavell_juce_settings INTERFACE
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  # Debian unbundles FLAC and Vorbis, and JUCE's CMake does not link them; WAV and AIFF stay.
  JUCE_USE_FLAC=0
  JUCE_USE_OGGVORBIS=0)
# JUCE's headers count as system headers for our own strict warnings; g++ 12 reports a dangling
# pointer in JUCE's listener list that is not one.
target_compile_options(brondavell_juce_settings INTERFACE
  -isystem ${JUCE_MODULES_DIR} $<$<CXX_COMPILER_ID:GNU>:-Wno-dangling-pointer>)
