// Velmora's watch over what each frame of a page loads. It runs at the start of every frame
// (the page's and each of its frames', of any origin), in Velmora's own script world, and tells
// the browser control what asked for each resource the frame loads ("img", "css", "link",
// "object", ...) and from which frame, so that a picture the engine loaded can be named by kind.
// The page's own frame also says when its document is parsed.
// Messages: {t: the page's URL (top frame) or '', f: the frame's URL or '' for the page itself,
// r: [url, initiator, ...]} and {t, f, parsed: true}.
(function () {
  'use strict';
  var handlers = window.webkit && window.webkit.messageHandlers;
  var channel = handlers && handlers.velmoraPictures;
  if (!channel) return;
  var isTop = window === window.top;
  function send(message) {
    message.t = isTop ? location.href : '';
    message.f = isTop ? '' : location.href;
    channel.postMessage(JSON.stringify(message));
  }
  if (isTop) {
    document.addEventListener('DOMContentLoaded', function () { send({parsed: true}); });
  }
  if (typeof PerformanceObserver !== 'function') return;
  try {
    new PerformanceObserver(function (list) {
      var entries = list.getEntries();
      var out = [];
      for (var i = 0; i < entries.length; i++) {
        out.push(entries[i].name, entries[i].initiatorType || '');
      }
      if (out.length) send({r: out});
    }).observe({type: 'resource', buffered: true});
  } catch (e) {
    // No resource timing here: the pictures are still recorded, only not named by kind.
  }
})();
