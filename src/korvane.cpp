// The korvane library gathers the layers; this unit only gives it a body.
namespace kv {
const char* Version();
const char* Version() { return "0.1"; }
}  // namespace kv
