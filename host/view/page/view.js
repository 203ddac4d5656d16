// The live view's page: pulls the newest frame as fast as the view hands them out, polls the
// figures and the module's log lines, and sends the controls as JSON.
'use strict';

const $ = (id) => document.getElementById(id);
const view = { sequence: 0, shown: 0, logNext: 0, keys: '', mode: '' };

async function control(path, body) {
  const response = await fetch(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body || {}),
  });
  const answer = await response.json().catch(() => ({}));
  $('problem').textContent = response.ok ? '' : answer.problem || response.statusText;
  return answer;
}

function drawHistogram(counts, frame) {
  const canvas = $('histogram');
  const context = canvas.getContext('2d');
  context.clearRect(0, 0, canvas.width, canvas.height);
  if (!counts || counts.length !== 256) {
    $('histogram-note').textContent = `${frame.bitsPerPixel}-bit frames: no histogram drawn (8-bit grey only)`;
    return;
  }
  const top = Math.max(...counts) || 1;
  context.fillStyle = '#9ccc65';
  for (let value = 0; value < 256; value++) {
    const height = (counts[value] / top) * canvas.height;
    context.fillRect(value, canvas.height - height, 1, height);
  }
  $('histogram-note').textContent = `grey values of image ${frame.imageNumber}`;
}

async function frameLoop() {
  for (;;) {
    try {
      const response = await fetch(`/api/frame?after=${view.sequence}`);
      if (response.status === 200) {
        const frame = await response.json();
        view.sequence = frame.sequence;
        if (frame.drawn) {
          $('frame').src = `data:image/jpeg;base64,${frame.jpeg}`;
          $('frame-note').textContent = '';
        } else {
          $('frame-note').textContent = `${frame.bitsPerPixel}-bit frames are not drawn (8-bit grey only)`;
        }
        view.shown++;
        $('shown').textContent = view.shown;
        $('image-number').textContent = frame.imageNumber;
        $('image-size').textContent = `${frame.width}x${frame.height}`;
        $('image-time').textContent = frame.time;
        drawHistogram(frame.histogram, frame);
      } else if (response.status !== 204) {
        await new Promise((done) => setTimeout(done, 1000));
      }
    } catch (error) {
      await new Promise((done) => setTimeout(done, 1000));
    }
  }
}

const ms = (value, count) => (count > 0 ? `${value.toFixed(2)} ms` : '-');

function showState(state) {
  const camera = state.camera;
  const figures = state.figures;
  $('camera-key').textContent = camera.key || '-';
  $('camera-status').textContent =
    `${camera.opened ? (camera.grabbing ? 'grabbing' : 'stopped') : 'closed'}, ${camera.activeMode} mode` +
    `${camera.mode === 'counted' ? `, limit ${camera.limit}` : ''}`;
  $('fig-fps').textContent = figures.framesPerSecond.toFixed(1);
  $('fig-p50').textContent = ms(figures.latency.p50, figures.latency.count);
  $('fig-p99').textContent = ms(figures.latency.p99, figures.latency.count);
  for (const name of ['snapped', 'refused', 'delivered', 'failed', 'skipped', 'unanswered']) {
    $(`fig-${name}`).textContent = figures[name];
  }
  $('fig-notdrawn').textContent = figures.notDrawn;
  if (state.problem) {
    $('problem').textContent = state.problem;
  }
  const keys = state.keys.join('\n');
  if (keys !== view.keys) {
    view.keys = keys;
    $('camera').replaceChildren(...state.keys.map((key) => new Option(key, key, false, key === camera.key)));
  }
  if (camera.mode !== view.mode) {
    view.mode = camera.mode;
    $('mode').value = camera.mode;
    $('limit').value = camera.limit;
    $('autosnap-rate').value = state.autoSnapHz;
  }
  document.body.dataset.state = JSON.stringify(state);
}

async function stateLoop() {
  for (;;) {
    try {
      const response = await fetch('/api/state');
      if (response.ok) {
        showState(await response.json());
      }
    } catch (error) {
      $('problem').textContent = 'the view does not answer';
    }
    await new Promise((done) => setTimeout(done, 250));
  }
}

async function logLoop() {
  for (;;) {
    try {
      const debug = $('log-debug').checked ? 1 : 0;
      const response = await fetch(`/api/log?after=${view.logNext}&debug=${debug}`);
      if (response.ok) {
        const answer = await response.json();
        view.logNext = answer.next;
        const list = $('log');
        for (const line of answer.lines) {
          const item = document.createElement('li');
          item.className = line.type;
          item.textContent = `${line.type}: ${line.text}`;
          list.append(item);
        }
        while (list.childElementCount > 500) {
          list.firstElementChild.remove();
        }
        if (answer.lines.length > 0) {
          list.scrollTop = list.scrollHeight;
        }
      }
    } catch (error) {
      // The state loop says when the view does not answer.
    }
    await new Promise((done) => setTimeout(done, 500));
  }
}

function wire() {
  $('start').onclick = () => control('/api/start');
  $('stop').onclick = () => control('/api/stop');
  $('snap').onclick = async () => {
    const answer = await control('/api/snap');
    if (answer.accepted === false) {
      $('problem').textContent = 'snap refused';
    }
  };
  $('autosnap-set').onclick = () => control('/api/autosnap', { hz: Number($('autosnap-rate').value) });
  $('mode-apply').onclick = () => {
    view.mode = '';
    control('/api/mode', { mode: $('mode').value, limit: Number($('limit').value) });
  };
  $('camera-open').onclick = () => control('/api/camera', { key: $('camera').value });
  frameLoop();
  stateLoop();
  logLoop();
}

wire();
