# Run after JUCE's LV2 helper has written the bundle's Turtle files (cmake -P, BUNDLE=<dir>).
# The generated description files some terms under the wrong headings; this files them where
# the LV2 schemas define them, so the bundle validates. Hosts see the same plug-in, parameters
# and ports. Idempotent.

file(READ "${BUNDLE}/dsp.ttl" dsp)
set(original "${dsp}")
# The plug-in is also a doap:Project (its maintainer and release are doap terms).
string(REPLACE "\ta lv2:Plugin ;\n" "\ta lv2:Plugin , doap:Project ;\n" dsp "${dsp}")
# Port properties belong to ports; parameters carry their on/off nature through their scale
# points.
string(REPLACE "\n\tlv2:portProperty lv2:enumeration , lv2:toggled ;" "" dsp "${dsp}")
if(NOT dsp STREQUAL original)
  file(WRITE "${BUNDLE}/dsp.ttl" "${dsp}")
endif()

# noUserResize is a feature, not extension data; the options interface is extension data,
# not a feature.
file(READ "${BUNDLE}/ui.ttl" ui)
set(original "${ui}")
string(REPLACE "\t\tui:noUserResize ,\n" "" ui "${ui}")
string(REPLACE "\t\topts:interface ,\n\t\topts:options ;" "\t\topts:options ;" ui "${ui}")
if(NOT ui STREQUAL original)
  file(WRITE "${BUNDLE}/ui.ttl" "${ui}")
endif()

# The program number stored in the bundle's preset is a property of the plug-in's namespace.
file(READ "${BUNDLE}/manifest.ttl" manifest)
if(NOT manifest MATCHES "rdf-syntax-ns#Property")
  string(REGEX MATCH "<[^>]*:Program>" programProperty "${manifest}")
  if(programProperty)
    file(APPEND "${BUNDLE}/manifest.ttl"
      "\n${programProperty}\n\ta <http://www.w3.org/1999/02/22-rdf-syntax-ns#Property> ;\n\t<http://www.w3.org/2000/01/rdf-schema#label> \"Program\" .\n")
  endif()
endif()
