# The plug-in: the processor and the editor on JUCE's plug-in clients.

set(BRONDAVELL_LV2_URI "https://brondavell.example.org/plugins/BrondavellV2" CACHE STRING
    "LV2 URI of the plug-in; part of its identity in hosts and saved projects")

# The editor's two link buttons: the maker's site (label and target) and the donation page.
set(BRONDAVELL_SITE_LABEL "brondavell.example.org" CACHE STRING "Label of the editor's web-site link")
set(BRONDAVELL_SITE_URL "https://brondavell.example.org/" CACHE STRING "Target of the editor's web-site link")
set(BRONDAVELL_DONATE_URL "https://brondavell.example.org/donate" CACHE STRING "Target of the editor's donation link")

set(brondavell_formats LV2 VST3 Standalone)
if(APPLE)
  list(APPEND brondavell_formats AU)
endif()

juce_add_plugin(Brondavell
  PRODUCT_NAME "BrondavellV2"
  COMPANY_NAME "Brondavell"
  COMPANY_WEBSITE "https://brondavell.example.org"
  BUNDLE_ID org.example.brondavell.v2
  DESCRIPTION "Two-channel guitar amplifier with cabinets and reverb"
  VERSION ${PROJECT_VERSION}
  PLUGIN_MANUFACTURER_CODE Brdv
  PLUGIN_CODE Bdv2
  FORMATS ${brondavell_formats}
  IS_SYNTH FALSE
  NEEDS_MIDI_INPUT FALSE
  NEEDS_MIDI_OUTPUT FALSE
  IS_MIDI_EFFECT FALSE
  EDITOR_WANTS_KEYBOARD_FOCUS FALSE
  COPY_PLUGIN_AFTER_BUILD FALSE
  AU_EXPORT_PREFIX BrondavellV2
  AU_MAIN_TYPE kAudioUnitType_Effect
  VST3_CATEGORIES Fx Distortion
  LV2URI ${BRONDAVELL_LV2_URI})

# Two of the framework's plug-in wrappers are mended: the wrapper source is copied into the build
# tree with a patch of cmake/patches/ applied (each says what it mends and why) and compiled in
# place of the installed one, which stays as Debian ships it. A patch must apply exactly (no fuzz),
# so a changed framework source stops the build instead of taking a misplaced mend. The copy finds
# its relative includes next to the original.
find_program(BRONDAVELL_PATCH_PROGRAM patch REQUIRED)
function(brondavell_mend_wrapper format wrapper patchFile outVar)
  set(original ${JUCE_MODULES_DIR}/juce_audio_plugin_client/${wrapper})
  set(mended ${CMAKE_BINARY_DIR}/juce-mended/${wrapper})
  get_filename_component(mendedDir ${mended} DIRECTORY)
  get_filename_component(originalDir ${original} DIRECTORY)
  add_custom_command(OUTPUT ${mended}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${mendedDir}
    COMMAND ${BRONDAVELL_PATCH_PROGRAM} --quiet --batch --fuzz=0 --reject-file=- --output=${mended}
            --input=${PROJECT_SOURCE_DIR}/cmake/patches/${patchFile} ${original}
    DEPENDS ${original} ${PROJECT_SOURCE_DIR}/cmake/patches/${patchFile}
    COMMENT "Mending ${wrapper}"
    VERBATIM)
  set_source_files_properties(${mended} PROPERTIES COMPILE_OPTIONS "-iquote;${originalDir}")
  # The format's wrapper library compiles the module's client file for that format, which only
  # includes the wrapper source: the mended copy takes its place.
  get_target_property(sources juce_audio_plugin_client_${format} INTERFACE_SOURCES)
  list(FILTER sources EXCLUDE REGEX "/juce_audio_plugin_client_${format}\\.cpp$")
  set_target_properties(juce_audio_plugin_client_${format} PROPERTIES INTERFACE_SOURCES "${sources};${mended}")
  set(${outVar} ${mended} PARENT_SCOPE)
endfunction()
brondavell_mend_wrapper(VST3 VST3/juce_VST3_Wrapper.cpp juce_VST3_Wrapper.patch brondavell_vst3_wrapper_source)
brondavell_mend_wrapper(LV2 LV2/juce_LV2_Client.cpp juce_LV2_Client.patch brondavell_lv2_client_source)

file(GLOB brondavell_plugin_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/processor/*.cpp ${PROJECT_SOURCE_DIR}/editor/*.cpp)
target_sources(Brondavell PRIVATE ${brondavell_plugin_sources})
brondavell_strict_sources(${brondavell_plugin_sources})
target_include_directories(Brondavell PUBLIC ${PROJECT_SOURCE_DIR}/processor ${PROJECT_SOURCE_DIR}/editor)

target_compile_definitions(Brondavell PUBLIC
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_VST3_CAN_REPLACE_VST2=0
  # Debian's JUCE derives the LV2 URI from the product name unless it is defined here.
  JucePlugin_LV2URI="${BRONDAVELL_LV2_URI}"
  BRONDAVELL_SITE_LABEL="${BRONDAVELL_SITE_LABEL}"
  BRONDAVELL_SITE_URL="${BRONDAVELL_SITE_URL}"
  BRONDAVELL_DONATE_URL="${BRONDAVELL_DONATE_URL}"
  # Offered to hosts in this order: 1 in 1 out, 1 in 2 out, 2 in 2 out.
  "JucePlugin_PreferredChannelConfigurations={1,1},{1,2},{2,2}")

target_link_libraries(Brondavell
  PRIVATE brondavell_dsp brondavell_data juce::juce_audio_utils
  PUBLIC brondavell_numerics brondavell_juce_settings juce::juce_recommended_config_flags)

add_custom_command(TARGET Brondavell_LV2 POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DBUNDLE=$<GENEX_EVAL:$<TARGET_PROPERTY:Brondavell_LV2,JUCE_PLUGIN_ARTEFACT_FILE>>
          -P ${PROJECT_SOURCE_DIR}/cmake/TidyLv2Bundle.cmake
  VERBATIM)

# The shipped binaries export their entry points and nothing else, so that none of our symbols
# (nor the framework's) can collide with another plug-in's in the same host process.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  foreach(format VST3 LV2)
    string(TOLOWER ${format} name)
    set(map ${PROJECT_SOURCE_DIR}/cmake/exports-${name}.map)
    target_link_options(Brondavell_${format} PRIVATE "LINKER:--version-script=${map}")
    set_property(TARGET Brondavell_${format} APPEND PROPERTY LINK_DEPENDS ${map})
    # clang links the sanitizer runtimes into executables only: a sanitized module takes those
    # symbols from the (equally sanitized) program that loads it.
    if(BRONDAVELL_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      target_link_options(Brondavell_${format} PRIVATE "LINKER:-z,undefs")
    endif()
  endforeach()
endif()
