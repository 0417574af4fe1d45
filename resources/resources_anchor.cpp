// Keeps the resource object library non-empty before any resource file exists.
namespace quorvane { int resources_anchor = 0; }
