# Placeholder until the engine build lands: an empty target so the rest links.
add_library(zsf_dumb INTERFACE)
