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
# The state restore is safe beside run() (the mended LV2 client and the processor's hand-over
# rule), so hosts may restore while playing. In LV2 a plug-in lists that feature as optional;
# JUCE's LV2 host looks for it among the extension data instead, and holds its audio lock around
# every restore where it is missing. Both are declared, and the term is also typed as extension
# data so that the bundle still validates.
if(NOT dsp MATCHES "state:threadSafeRestore")
  string(REPLACE "\tlv2:optionalFeature\n\t\tlv2:hardRTCapable ;\n\tlv2:extensionData\n\t\tstate:interface ;\n"
    "\tlv2:optionalFeature\n\t\tlv2:hardRTCapable ,\n\t\tstate:threadSafeRestore ;\n\tlv2:extensionData\n\t\tstate:interface ,\n\t\tstate:threadSafeRestore ;\n"
    dsp "${dsp}")
  if(NOT dsp MATCHES "state:threadSafeRestore")
    message(FATAL_ERROR "TidyLv2Bundle: the plug-in's feature list in dsp.ttl has an unexpected form")
  endif()
  string(APPEND dsp "\nstate:threadSafeRestore\n\ta lv2:ExtensionData .\n")
endif()
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
