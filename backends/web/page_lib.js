// A JavaScript library for the browser page's program (emcc --js-library):
// the runtime functions that SDL's JavaScript for sound calls, which the
// linker cannot see it use.
mergeInto(LibraryManager.library, {
  zap_page_runtime: function() {},
  zap_page_runtime__deps: ['$dynCall', '$autoResumeAudioContext'],
});
