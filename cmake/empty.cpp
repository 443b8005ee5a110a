// Intentionally empty: a layer with no sources yet.
