// A JavaScript library for the browser page's program (emcc --js-library).
mergeInto(LibraryManager.library, {
  // The runtime functions that SDL's JavaScript for sound calls, which the
  // linker cannot see it use.
  zap_page_runtime: function() {},
  zap_page_runtime__deps: ['$dynCall', '$autoResumeAudioContext'],

  // Calls the page's handler Module[name] with a text; a page without it is
  // left as it is.
  zap_tell_page: function(name, text) {
    var handler = Module[UTF8ToString(name)];
    if (typeof handler === 'function') handler(UTF8ToString(text));
  },
});
