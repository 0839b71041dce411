# Windows platform layer (target `platform`).
