// The 3D page's viewer: reads the binary glTF embedded in the page (one node
// per part) and shows it with orbit, pan and zoom, fit to view, edges on and
// off, and the name of the part under the pointer. window.kmbrepView tells
// scripts (and the page's browser check) what was loaded and what is picked.
'use strict';
(function () {
  const canvas = document.getElementById('view');
  const tip = document.getElementById('tip');
  const renderer = new THREE.WebGLRenderer({ canvas: canvas, antialias: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.outputEncoding = THREE.sRGBEncoding;
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf4f4f0);
  const camera = new THREE.PerspectiveCamera(35, 1, 0.01, 1000);
  camera.up.set(0, 0, 1);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x6e6e68, 0.75));
  const sun = new THREE.DirectionalLight(0xffffff, 0.55);
  camera.add(sun);
  sun.position.set(-0.4, 0.6, 1);
  scene.add(camera);
  const controls = new THREE.OrbitControls(camera, canvas);
  controls.screenSpacePanning = true;
  const view = { ready: false, parts: [], picked: '' };
  window.kmbrepView = view;

  let model = null;
  const pickable = [];
  const edges = [];

  function render() { renderer.render(scene, camera); }

  function resize() {
    const w = canvas.clientWidth, h = canvas.clientHeight;
    renderer.setSize(w, h, false);
    camera.aspect = w / Math.max(h, 1);
    camera.updateProjectionMatrix();
    render();
  }

  // Puts the whole model in view, seen from the front, the right and above:
  // the camera backs off until every corner of the model's box is inside.
  function fit() {
    const box = new THREE.Box3().setFromObject(model);
    const sphere = box.getBoundingSphere(new THREE.Sphere());
    const direction = new THREE.Vector3(1, -1.4, 1.1).normalize();
    let distance = Math.max(sphere.radius, 1e-6) / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2));
    const corner = new THREE.Vector3();
    for (let pass = 0; pass < 4; ++pass) {
      camera.near = distance / 100;
      camera.far = distance * 100;
      camera.position.copy(sphere.center).addScaledVector(direction, distance);
      camera.lookAt(sphere.center);
      camera.updateProjectionMatrix();
      camera.updateMatrixWorld();
      let reach = 0;
      for (let i = 0; i < 8; ++i) {
        corner.set(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y, i & 4 ? box.max.z : box.min.z);
        corner.project(camera);
        reach = Math.max(reach, Math.abs(corner.x), Math.abs(corner.y));
      }
      distance *= reach / 0.9;
    }
    camera.near = distance / 100;
    camera.far = distance * 100;
    camera.position.copy(sphere.center).addScaledVector(direction, distance);
    camera.updateProjectionMatrix();
    controls.target.copy(sphere.center);
    controls.update();
    render();
  }

  // The part an object belongs to: its nearest ancestor made from a node.
  function partOf(object) {
    for (let o = object; o; o = o.parent) if (o.userData.partName) return o.userData.partName;
    return '';
  }

  const raycaster = new THREE.Raycaster();
  function pick(clientX, clientY) {
    const r = canvas.getBoundingClientRect();
    const pointer = new THREE.Vector2(((clientX - r.left) / r.width) * 2 - 1, -((clientY - r.top) / r.height) * 2 + 1);
    raycaster.setFromCamera(pointer, camera);
    const hits = raycaster.intersectObjects(pickable, false);
    return hits.length ? partOf(hits[0].object) : '';
  }
  view.pick = pick;
  view.meshes = function () { return pickable.slice(); };

  canvas.addEventListener('pointermove', function (event) {
    const name = model ? pick(event.clientX, event.clientY) : '';
    view.picked = name;
    tip.textContent = name;
    tip.style.display = name ? 'block' : 'none';
    tip.style.left = (event.clientX + 14) + 'px';
    tip.style.top = (event.clientY + 14) + 'px';
  });
  canvas.addEventListener('pointerleave', function () { tip.style.display = 'none'; });
  document.getElementById('fit').addEventListener('click', fit);
  document.getElementById('edges').addEventListener('change', function (event) {
    for (const line of edges) line.visible = event.target.checked;
    render();
  });
  controls.addEventListener('change', render);
  window.addEventListener('resize', resize);

  const text = atob(document.getElementById('model').textContent.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  new THREE.GLTFLoader().parse(bytes.buffer, '', function (gltf) {
    model = gltf.scene;
    const nodes = gltf.parser.json.nodes || [];
    model.traverse(function (object) {
      const link = gltf.parser.associations.get(object);
      if (link && link.nodes !== undefined && nodes[link.nodes].name) {
        object.userData.partName = nodes[link.nodes].name;
        view.parts.push(object.userData.partName);
      }
      if (object.isMesh) {
        // Faces a little behind their edges, so edges on them do not flicker.
        object.material.polygonOffset = true;
        object.material.polygonOffsetFactor = 1;
        object.material.polygonOffsetUnits = 1;
        pickable.push(object);
      }
      if (object.isLineSegments) edges.push(object);
    });
    scene.add(model);
    resize();
    fit();
    view.ready = true;
  }, function (error) {
    document.getElementById('summary').textContent = 'cannot show the model: ' + error;
    console.error(error);
  });
})();
