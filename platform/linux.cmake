# Linux platform layer (target `platform`).
