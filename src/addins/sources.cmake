# Sources of this subsystem, added to orvalith_core with target_sources.
