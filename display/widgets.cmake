# Gauge controls and input widgets.
target_sources(revscope_gui PRIVATE
  Tdisplaycontrol.cpp
  Tdisplaycontrol.h
  Tmeter270display.cpp
  Tmeter270display.h
  Tvertmeterdisplay.cpp
  Tvertmeterdisplay.h
  Tleddisplay.cpp
  Tleddisplay.h
  Tvaluedisplay.cpp
  Tvaluedisplay.h
  Uhexfield.cpp
  Uhexfield.h
  Tdecimaledit.cpp
  Tdecimaledit.h
  Thighlightlabel.cpp
  Thighlightlabel.h
  Tcolorstringgrid.cpp
  Tcolorstringgrid.h
  Trepeatbutton.cpp
  Trepeatbutton.h
  Tlapview.cpp
  Tlapview.h
  Treportview.cpp
  Treportview.h
)
