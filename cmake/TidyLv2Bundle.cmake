# Run after JUCE's LV2 helper has written the bundle's Turtle files (cmake -P, BUNDLE=<dir>).
# The generated description files some terms under the wrong headings; this files them where
# the LV2 schemas define them, so the bundle validates. Hosts see the same plug-in, parameters
# and ports. Idempotent.

file(READ "${BUNDLE}/dsp.ttl" dsp)
set(original "${dsp}")
# The plug-in is also a doap:Project (its maintainer and release are doap terms).
string(REPLACE "\ta lv2:Plugin ;\n" "\ta lv2:Plugin , doap:Project ;\n" dsp "${dsp}")
# Hosts read a parameter's on/off nature from its port properties (toggled, enumeration), whose
# schema domain is lv2:Port: each on/off parameter is therefore also typed lv2:Port, with the name
# and symbol every port has. It stays out of the plug-in's port list, so no host makes a port of it.
set(switchPattern "\nplug:([A-Za-z0-9_]+)\n\ta lv2:Parameter ;\n\trdfs:label \"([^\"]*)\" ;\n([^\n]*\n[^\n]*\n[^\n]*\n[^\n]*\n)\tlv2:portProperty lv2:enumeration , lv2:toggled ;")
while(dsp MATCHES "${switchPattern}")
  set(id "${CMAKE_MATCH_1}")
  set(label "${CMAKE_MATCH_2}")
  set(limits "${CMAKE_MATCH_3}")
  string(REPLACE "${CMAKE_MATCH_0}"
    "\nplug:${id}\n\ta lv2:Parameter , lv2:Port ;\n\trdfs:label \"${label}\" ;\n\tlv2:name \"${label}\" ;\n\tlv2:symbol \"${id}\" ;\n${limits}\tlv2:portProperty lv2:enumeration , lv2:toggled ;"
    dsp "${dsp}")
endwhile()
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
