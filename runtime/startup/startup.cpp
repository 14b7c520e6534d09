// The runtime's start-up; the entry sequence arrives with the file pack.
namespace vtrrt {}
