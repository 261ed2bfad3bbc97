# Gauge controls and input widgets.
target_sources(revscope_gui PRIVATE
)
