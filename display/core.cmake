# Display logic without Qt.
target_sources(revscope_core PRIVATE
  Tlapdisplay.cpp
  Graphlogic.cpp
  Tracesummary.cpp
)
