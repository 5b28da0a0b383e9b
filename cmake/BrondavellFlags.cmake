# Compiler settings shared by every target of the project.

# Numerics: every operation is rounded on its own, in source order. No fused multiply-add,
# no fast-math, so the single-precision results are reproducible bit for bit.
add_library(brondavell_numerics INTERFACE)
target_compile_options(brondavell_numerics INTERFACE -ffp-contract=off -fno-fast-math)

# Strict warnings for the project's own sources (never for JUCE's module sources).
set(BRONDAVELL_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual)
if(BRONDAVELL_WERROR)
  list(APPEND BRONDAVELL_WARNING_FLAGS -Werror)
endif()
add_library(brondavell_warnings INTERFACE)
target_compile_options(brondavell_warnings INTERFACE ${BRONDAVELL_WARNING_FLAGS})

# Applies the strict warnings to a list of source files of a target that also compiles
# third-party sources (the JUCE plug-in targets).
function(brondavell_strict_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${BRONDAVELL_WARNING_FLAGS}")
endfunction()

if(BRONDAVELL_SANITIZE)
  string(REPLACE ";" "," sanitizers "${BRONDAVELL_SANITIZE}")
  add_compile_options(-fsanitize=${sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  if("undefined" IN_LIST BRONDAVELL_SANITIZE)
    # JUCE 7.0.5 copies empty memory blocks from a null pointer (every juce::URL copy does), which
    # the nonnull-attribute check would abort on; the copy is of zero bytes.
    add_compile_options(-fno-sanitize=nonnull-attribute)
  endif()
  add_link_options(-fsanitize=${sanitizers})
endif()
