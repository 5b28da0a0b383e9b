# Large built-in audio tables (waveshaper curves, reverb impulse responses), generated at build
# time by tools/data/generate_audio_tables.cpp rather than committed as source.
set(audio_generator_source ${CMAKE_CURRENT_SOURCE_DIR}/../tools/data/generate_audio_tables.cpp)
add_executable(generate_audio_tables ${audio_generator_source})
target_link_libraries(generate_audio_tables PRIVATE brondavell_numerics brondavell_warnings)
# The curves' sizes and offsets come from the header that declares them.
target_include_directories(generate_audio_tables PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

set(audio_generated_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${audio_generated_dir})
set(audio_curves_cpp ${audio_generated_dir}/AudioCurves.cpp)
set(audio_impulses_cpp ${audio_generated_dir}/ReverbImpulses.cpp)

add_custom_command(OUTPUT ${audio_curves_cpp}
  COMMAND generate_audio_tables curves ${audio_curves_cpp}
  DEPENDS generate_audio_tables
  COMMENT "Generating the waveshaper curves" VERBATIM)
add_custom_command(OUTPUT ${audio_impulses_cpp}
  COMMAND generate_audio_tables impulses ${audio_impulses_cpp}
  DEPENDS generate_audio_tables
  COMMENT "Generating the reverb impulse responses" VERBATIM)

target_sources(brondavell_data PRIVATE ${audio_curves_cpp} ${audio_impulses_cpp})
