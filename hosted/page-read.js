// Velmora's read of a finished page. It runs in a script world of Velmora's own, so the page's
// scripts can neither see it nor change the getters it reads with. It returns
// [body outerHTML or '', base URI or '', image census as JSON, the URLs drawn by a CSS `content`
// (pseudo-elements) as JSON, the markup the census cannot see as elements or null when the census
// failed]. That markup is the outerHTML of each <noscript> (text to a browser that runs scripts)
// and <template> (content outside the document), one after the other.
//
// The census lists the picture elements of the document with what the engine knows of them;
// the browser turns them into the gallery's further images (analysis/ImageCensus.h). One record
// per element: {t: element name, u: URL the engine chose, w, h: its loaded size,
// a: [attribute name, value, ...], s: srcsets of the <source>s of its <picture>,
// b: computed background-image}. The page's icons (<link rel~=icon>), <object>s and <embed>s are
// records too.
(function() {
'use strict';
// The walk over every element's computed style stops after this long (a page of 100,000
// elements takes about 100 ms); the style sheets Velmora can read are looked at in full.
var WALK_BUDGET_MS = 25;
var SVG = 'http://www.w3.org/2000/svg';

var body = document.body;
var html = body ? body.outerHTML : '';
var census = '[]';
var generated = [];
var hidden = null;
try {
  census = JSON.stringify(takeCensus());
  hidden = '';
  each('noscript,template', function(el) { hidden += el.outerHTML; });
} catch (e) {
  // The census adds to the page read; it never takes the page away. Without it the whole
  // markup stands in for the live document.
  hidden = null;
}
return [html, document.baseURI || '', census, JSON.stringify(generated), hidden];

function each(selector, visit) {
  var found = document.querySelectorAll(selector);
  for (var i = 0; i < found.length; i++) visit(found[i]);
}

function takeCensus() {
  var started = performance.now();
  var records = [];

  function attributesOf(el) {
    var out = [];
    for (var i = 0; i < el.attributes.length; i++) {
      out.push(el.attributes[i].name, el.attributes[i].value);
    }
    return out;
  }
  function record(el, currentUrl, width, height, sources, background) {
    records.push({
      t: el.localName,
      u: currentUrl || '',
      w: width || 0,
      h: height || 0,
      a: background ? [] : attributesOf(el),
      s: sources || [],
      b: background || ''
    });
  }
  // Images: the candidate the engine chose, the size it loaded, the <picture>'s sources.
  var images = document.images;
  for (var i = 0; i < images.length; i++) {
    var img = images[i];
    var sources = [];
    var parent = img.parentElement;
    if (parent && parent.localName === 'picture') {
      for (var c = parent.firstElementChild; c; c = c.nextElementSibling) {
        if (c.localName !== 'source') continue;
        var set = c.getAttribute('srcset') || c.getAttribute('data-srcset');
        if (set) sources.push(set);
      }
    }
    var loaded = img.complete && img.naturalWidth > 0;
    record(
        img, img.currentSrc, loaded ? img.naturalWidth : 0, loaded ? img.naturalHeight : 0, sources,
        '');
  }
  each('video[poster]', function(video) { record(video, video.poster); });
  each('input', function(input) {
    if (input.type === 'image') record(input, input.src);
  });
  each('image', function(image) {
    if (image.namespaceURI === SVG) record(image, '');
  });
  each(
      '[data-bg],[data-background],[data-background-image],[data-bg-src]',
      function(el) { record(el, ''); });
  each('link[rel]', function(link) {
    if (/(^|\s)icon(\s|$)/i.test(link.rel) || /(^|\s)apple-touch-icon/i.test(link.rel)) {
      record(link, link.href);
    }
  });
  each('object[data]', function(object) { record(object, object.data); });
  each('embed[src]', function(embed) { record(embed, embed.src); });
  backgrounds(started, record);
  return records;
}

// Computed backgrounds, of the elements that the readable style sheets and the style
// attributes give one; when a style sheet cannot be read (another origin's), of every element
// until the budget runs out.
// The URLs of a style sheet's `content` declarations, resolved against the sheet.
function noteGenerated(value, sheetUrl) {
  var pattern = /url\(\s*(['"]?)(.*?)\1\s*\)/g;
  var match;
  while ((match = pattern.exec(value)) !== null) {
    try {
      generated.push(new URL(match[2], sheetUrl || document.baseURI).href);
    } catch (e) {
      // Not a URL: nothing is drawn from it.
    }
  }
}

function backgrounds(started, record) {
  var seen = new Set();
  function check(el) {
    if (seen.has(el)) return;
    seen.add(el);
    var value = getComputedStyle(el).backgroundImage;
    if (value && value.indexOf('url(') >= 0) record(el, '', 0, 0, [], value);
  }
  var selectors = [];
  var unreadable = false;
  function walkRules(list, sheetUrl) {
    for (var i = 0; i < list.length; i++) {
      var rule = list[i];
      if (rule.styleSheet) {
        walkSheet(rule.styleSheet);  // @import
        continue;
      }
      if (rule.selectorText !== undefined && rule.style) {
        var image = rule.style.getPropertyValue('background-image');
        if (image && image.indexOf('url(') >= 0) selectors.push(rule.selectorText);
        var content = rule.style.getPropertyValue('content');
        if (content && content.indexOf('url(') >= 0) noteGenerated(content, sheetUrl);
      }
      if (rule.cssRules) walkRules(rule.cssRules, sheetUrl);  // @media, @supports
    }
  }
  function walkSheet(sheet) {
    var list = null;
    try {
      list = sheet.cssRules;
    } catch (e) {
      list = null;
    }
    if (list)
      walkRules(list, sheet.href);
    else
      unreadable = true;
  }
  for (var s = 0; s < document.styleSheets.length; s++) walkSheet(document.styleSheets[s]);
  for (var k = 0; k < selectors.length; k++) {
    try {
      var found = document.querySelectorAll(selectors[k]);
      for (var f = 0; f < found.length; f++) check(found[f]);
    } catch (e) {
      // A selector only a style sheet understands (a pseudo-element): nothing to look at.
    }
  }
  var styled = document.querySelectorAll('[style*="url(" i]');
  for (var n = 0; n < styled.length; n++) check(styled[n]);
  if (!unreadable) return;
  var all = document.getElementsByTagName('*');
  for (var e = 0; e < all.length; e++) {
    if ((e & 255) === 0 && performance.now() - started > WALK_BUDGET_MS) break;
    check(all[e]);
  }
}
})()
