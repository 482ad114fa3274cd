// A JavaScript library for the programs that run under Node.js (emcc
// --js-library). There is no OpenGL there (the simulator refuses
// --renderer gl), and the GL driver's desktop calls that WebGL lacks would be
// undefined symbols: they are linked to a stop instead, so that any other
// undefined symbol still fails the link.
var zapDesktopOnlyGL = {};
['glAlphaFunc', 'glBitmap', 'glColor4ubv', 'glDrawPixels', 'glEnd', 'glGetTexLevelParameteriv', 'glOrtho',
 'glRasterPos2i', 'glTexCoord2f', 'glVertex2f', 'glBegin', 'glColor4f', 'glColor4ub', 'glLoadIdentity',
 'glMatrixMode', 'glVertex2i', 'glTexEnvi', 'glPixelZoom', 'glPixelStorei'].forEach(function(name) {
  zapDesktopOnlyGL[name] = function() { abort('no OpenGL under Node.js'); };
});
mergeInto(LibraryManager.library, zapDesktopOnlyGL);
